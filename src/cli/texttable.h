#pragma once
// A table model as aligned plain text, for the closing table on standard error.

#include <QString>

class QAbstractItemModel;

namespace tarnbell::cli {

// The header and every row of `model`, columns two blanks apart, each as wide as its widest
// text; columns the model aligns right are padded on the left. Lines end in "\n".
QString alignedText(const QAbstractItemModel& model);

} // namespace tarnbell::cli
