#include "core/metrics/metricstext.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace tarnbell::core {

namespace {

using Label = std::pair<const char*, const QString*>;

// Shortest text that reads back as the same double: plain decimals where they are short
// enough (le="0.00025", not "2.5e-04"), exponents only for the very small and the very large.
// OpenMetrics marks a whole float as one ("1.0"), as its canonical form asks.
QByteArray number(double value, MetricsFormat format) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    char text[64];
    const double size = std::fabs(value);
    const auto fixed = size == 0.0 || (size >= 1e-4 && size < 1e16);
    const std::to_chars_result end =
        std::to_chars(text, text + sizeof text, value,
                      fixed ? std::chars_format::fixed : std::chars_format::scientific);
    QByteArray written(text, end.ptr - text);
    if (format == MetricsFormat::OpenMetrics && fixed && !written.contains('.'))
        written += ".0";
    return written;
}

// Both formats escape a label value's backslashes, double quotes and line feeds alike.
void appendEscaped(QByteArray& out, const QString& value) {
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

class Writer {
public:
    explicit Writer(MetricsFormat format) : m_format(format) {}

    // The family's metadata. `name` is the family's name in OpenMetrics (a counter's without
    // `_total`); `type` its OpenMetrics type, `textType` the 0.0.4 one. Help texts hold no
    // backslash, double quote or line feed, so neither format needs them escaped.
    void family(const char* name, const char* type, const char* textType, const char* suffix,
                const char* unit, const char* help) {
        const QByteArray named =
            m_format == MetricsFormat::OpenMetrics ? QByteArray(name) : name + QByteArray(suffix);
        m_out += "# HELP " + named + ' ' + help + '\n';
        m_out += "# TYPE " + named + ' ' +
                 (m_format == MetricsFormat::OpenMetrics ? type : textType) + '\n';
        if (m_format == MetricsFormat::OpenMetrics && *unit != '\0')
            m_out += "# UNIT " + named + ' ' + unit + '\n';
    }

    void sample(const QByteArray& name, std::initializer_list<Label> labels,
                const QByteArray& value, const char* le = nullptr) {
        m_out += name;
        if (labels.size() > 0 || le != nullptr) {
            char separator = '{';
            for (const auto& [label, text] : labels) {
                m_out += separator;
                m_out += label;
                m_out += "=\"";
                appendEscaped(m_out, *text);
                m_out += '"';
                separator = ',';
            }
            if (le != nullptr)
                m_out += QByteArray(1, separator) + "le=\"" + le + '"';
            m_out += '}';
        }
        m_out += ' ' + value + '\n';
    }

    void histogram(const char* name, std::initializer_list<Label> labels,
                   const HistogramSeries& series) {
        const QByteArray base(name);
        quint64 below = 0;
        for (std::size_t i = 0; i < series.counts.size(); ++i) {
            below += series.counts[i];
            const QByteArray le =
                i < kDurationBuckets.size() ? number(kDurationBuckets[i], m_format) : "+Inf";
            sample(base + "_bucket", labels, QByteArray::number(below), le.constData());
        }
        sample(base + "_count", labels, QByteArray::number(series.count));
        sample(base + "_sum", labels, number(series.sum, m_format));
        created(base, labels, series.createdSeconds);
    }

    // OpenMetrics only: when a counter or histogram began counting.
    void created(const QByteArray& name, std::initializer_list<Label> labels, double seconds) {
        if (m_format == MetricsFormat::OpenMetrics)
            sample(name + "_created", labels, number(seconds, m_format));
    }

    QByteArray finish() {
        if (m_format == MetricsFormat::OpenMetrics)
            m_out += "# EOF\n";
        return std::move(m_out);
    }

    MetricsFormat format() const { return m_format; }

private:
    MetricsFormat m_format;
    QByteArray m_out;
};

} // namespace

QByteArray metricsContentType(MetricsFormat format) {
    return format == MetricsFormat::OpenMetrics
               ? "application/openmetrics-text; version=1.0.0; charset=utf-8"
               : "text/plain; version=0.0.4; charset=utf-8";
}

QByteArray metricsText(const MetricsRegistry& registry, MetricsFormat format) {
    Writer out(format);
    out.family("tarnbell_lookup_duration_seconds", "histogram", "histogram", "", "seconds",
               "Time of each lookup from its query leaving to its answer arriving. A lookup "
               "without an answer, or whose reply refuses or fails, counts as 10 seconds.");
    for (const auto& [key, series] : registry.durations()) {
        const auto& [server, transport, kind] = key;
        out.histogram("tarnbell_lookup_duration_seconds",
                      {{"server", &server}, {"transport", &transport}, {"kind", &kind}}, series);
    }
    out.family("tarnbell_lookups", "counter", "counter", "_total", "",
               "Lookups made, by how they ended: answered, error_reply, timed_out, "
               "unreachable, socket_error, host_not_found or query_not_built.");
    for (const auto& [key, series] : registry.outcomes()) {
        const auto& [server, transport, kind, outcome] = key;
        const std::initializer_list<Label> labels = {
            {"server", &server}, {"transport", &transport}, {"kind", &kind}, {"outcome", &outcome}};
        out.sample("tarnbell_lookups_total", labels, QByteArray::number(series.value));
        out.created("tarnbell_lookups", labels, series.createdSeconds);
    }
    out.family("tarnbell_connection_setup_seconds", "histogram", "histogram", "", "seconds",
               "Set-up time of each new stream connection: TCP connect, TLS handshake, "
               "HTTP/2 settings.");
    for (const auto& [key, series] : registry.setups()) {
        const auto& [server, transport] = key;
        out.histogram("tarnbell_connection_setup_seconds",
                      {{"server", &server}, {"transport", &transport}}, series);
    }
    out.family("tarnbell_run_timestamp_seconds", "gauge", "gauge", "", "seconds",
               "When the last run ended, in seconds since the Unix epoch.");
    if (registry.runs() > 0)
        out.sample("tarnbell_run_timestamp_seconds", {},
                   number(registry.lastRunEndSeconds(), format));
    // OpenMetrics has a type of its own for a build's facts; 0.0.4 writes it as a gauge of 1.
    const QString version = QStringLiteral(TARNBELL_VERSION);
    out.family("tarnbell_build", "info", "gauge", "_info", "", "The program's version.");
    out.sample("tarnbell_build_info", {{"version", &version}}, "1");
    return out.finish();
}

} // namespace tarnbell::core
