#include "columnfit.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeView>
#include <algorithm>

namespace tarnbell::gui {

ColumnFit::ColumnFit(QTreeView* view) : QObject(view), m_view(view) {
    QHeaderView* head = view->header();
    connect(head, &QHeaderView::sectionResized, this, [this](int section, int from, int to) {
        // Hiding and showing a section pass through zero; the fit's own changes are not the
        // user's.
        if (m_fitting || from == 0 || to == 0)
            return;
        if (section >= m_byHand.size())
            m_byHand.resize(section + 1);
        m_byHand[section] = true;
        fit(); // the other columns take what is left
    });
    // The tree view sizes the column to its contents first; the fit then takes it back.
    connect(head, &QHeaderView::sectionHandleDoubleClicked, this, [this](int section) {
        if (section < m_byHand.size())
            m_byHand[section] = false;
        fit();
    });
    // The sort arrow needs room beside a title.
    connect(head, &QHeaderView::sortIndicatorChanged, this, &ColumnFit::fit);
}

void ColumnFit::watchModel(const QList<int>& startWidths) {
    const QAbstractItemModel* model = m_view->model();
    m_fitting = true;
    for (int section = 0; section < startWidths.size(); ++section)
        m_view->header()->resizeSection(section, startWidths.at(section));
    m_fitting = false;
    const auto grown = [this](int firstRow, int lastRow, int firstColumn, int lastColumn) {
        const QList<int> before = m_texts;
        measure(firstRow, lastRow, firstColumn, lastColumn);
        if (m_texts != before) {
            m_view->updateGeometry(); // a longer name: the window may give the list more room
            fit();
        }
    };
    // Each row is measured once as it comes, and again when a cell changes: a long run adds
    // rows by the thousand.
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this, grown](const QModelIndex&, int first, int last) {
                grown(first, last, 0, int(m_texts.size()) - 1);
            });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [grown](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                grown(topLeft.row(), bottomRight.row(), topLeft.column(), bottomRight.column());
            });
    const auto anew = [this] {
        remeasure();
        m_view->updateGeometry();
        fit();
    };
    connect(model, &QAbstractItemModel::modelReset, this, anew);
    connect(model, &QAbstractItemModel::rowsRemoved, this, anew);
    // Other columns: the widths set by hand belonged to the old ones.
    const auto otherColumns = [this, anew] {
        m_byHand.clear();
        anew();
    };
    connect(model, &QAbstractItemModel::columnsInserted, this, otherColumns);
    connect(model, &QAbstractItemModel::columnsRemoved, this, otherColumns);
    anew();
}

void ColumnFit::remeasure() {
    const QAbstractItemModel* model = m_view->model();
    m_texts = QList<int>(model->columnCount(), 0);
    measure(0, model->rowCount() - 1, 0, int(m_texts.size()) - 1);
}

void ColumnFit::measure(int firstRow, int lastRow, int firstColumn, int lastColumn) {
    const QAbstractItemModel* model = m_view->model();
    const QFontMetrics metrics(m_view->font());
    // As an item view draws a text: a margin on either side.
    const int margins =
        2 * (m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1);
    for (int column = std::max(firstColumn, 0);
         column <= lastColumn && column < int(m_texts.size()); ++column) {
        int widest = m_texts[column];
        for (int row = firstRow; row <= lastRow; ++row) {
            const QString text = model->index(row, column).data().toString();
            widest = std::max(widest, metrics.horizontalAdvance(text) + margins);
        }
        m_texts[column] = widest;
    }
}

bool ColumnFit::isNameColumn(int section) const {
    const QVariant alignment =
        m_view->model()->headerData(section, Qt::Horizontal, Qt::TextAlignmentRole);
    return !(Qt::Alignment(alignment.toInt()) & Qt::AlignRight);
}

int ColumnFit::titleWidth(int section) const {
    const QHeaderView* head = m_view->header();
    const int margin = head->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, head);
    const QString title = m_view->model()->headerData(section, Qt::Horizontal).toString();
    int width = head->fontMetrics().horizontalAdvance(title) + 2 * margin + 2;
    // The sort arrow takes its room from the title of the sorted column only.
    if (head->isSortIndicatorShown() && head->sortIndicatorSection() == section)
        width += std::max(head->height(), head->sizeHint().height()) / 2 + 2 * margin;
    return width;
}

int ColumnFit::wanted(int section, int viewWidth) const {
    const int title = titleWidth(section);
    const int text = m_texts.value(section);
    // A long error text in a time column is cut rather than crowding the names out.
    return isNameColumn(section) ? std::max(title, text)
                                 : std::max(title, std::min(text, viewWidth / 4));
}

int ColumnFit::wantedWidth() const {
    if (!m_view->model())
        return 0;
    const QHeaderView* head = m_view->header();
    int width = 0;
    for (int section = 0; section < head->count(); ++section) {
        const int now = head->sectionSize(section);
        const bool fitted = !head->isSectionHidden(section) && now > 0 && !m_byHand.value(section);
        width += fitted ? wanted(section, m_view->viewport()->width()) : now;
    }
    return width;
}

void ColumnFit::fit() {
    if (!m_view->model() || m_fitting)
        return;
    QHeaderView* head = m_view->header();
    const int width = m_view->viewport()->width();
    QList<std::pair<int, int>> sizes;
    QList<int> names;
    int taken = 0;
    int wantedNames = 0;
    for (int section = 0; section < head->count(); ++section) {
        const int now = head->sectionSize(section);
        if (head->isSectionHidden(section) || now == 0 || m_byHand.value(section)) {
            taken += now;
            continue;
        }
        if (isNameColumn(section)) {
            names.append(section);
            wantedNames += wanted(section, width);
            continue;
        }
        sizes.append({section, wanted(section, width)});
        taken += sizes.constLast().second;
    }
    // The names share the room in proportion to their longest texts, never narrower than
    // their titles; the last one takes what rounding leaves.
    const int room = width - taken;
    int left = room;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const int own = wanted(names[i], width);
        const int share = i + 1 == names.size() ? left : int(qint64(own) * room / wantedNames);
        const int size = std::max(share, titleWidth(names[i]));
        left -= size;
        sizes.append({names[i], size});
    }
    m_fitting = true;
    for (const auto& [section, size] : sizes) {
        if (head->sectionSize(section) != size)
            head->resizeSection(section, size);
    }
    m_fitting = false;
}

QList<int> ColumnFit::handWidths() const {
    const QHeaderView* head = m_view->header();
    QList<int> widths;
    for (int section = 0; section < head->count(); ++section)
        widths.append(m_byHand.value(section) ? head->sectionSize(section) : -1);
    return widths;
}

void ColumnFit::setHandWidths(const QList<int>& widths) {
    QHeaderView* head = m_view->header();
    m_byHand = QList<bool>(head->count(), false);
    m_fitting = true;
    for (int section = 0; section < std::min(int(widths.size()), head->count()); ++section) {
        if (widths.at(section) < 0)
            continue;
        m_byHand[section] = true;
        head->resizeSection(section, widths.at(section));
    }
    m_fitting = false;
    fit();
}

} // namespace tarnbell::gui
