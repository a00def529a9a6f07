#include "batch/batch_report.h"

#include <cmath>

namespace batch {

namespace {

QString clockText(double seconds) {
    const qint64 s = qint64(std::llround(seconds));
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar('0')).arg(s % 60, 2, 10, QChar('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

}  // namespace

Report::Report(QTextStream& out, bool terminal, int total) : out_(out), terminal_(terminal), total_(total) {
    clock_.start();
}

QString Report::barText(int done, int total, double seconds, int width) {
    const int filled = total > 0 ? int(qint64(width) * done / total) : width;
    QString bar = QStringLiteral("[") + QString(filled, QChar('#')) + QString(width - filled, QChar('-')) +
                  QStringLiteral("] %1/%2").arg(done).arg(total);
    if (done > 0 && seconds > 0) {
        const double rate = done / seconds;
        bar += QStringLiteral("  %1 枚/秒").arg(rate, 0, 'f', rate < 10 ? 2 : 1);
        bar += QStringLiteral("  残り %1").arg(clockText((total - done) / rate));
    } else {
        bar += QStringLiteral("  - 枚/秒  残り -");
    }
    return bar;
}

void Report::clearBar() {
    if (terminal_ && barShown_) {
        out_ << "\r\033[K";
        barShown_ = false;
    }
}

void Report::tick() {
    if (!terminal_)
        return;
    out_ << "\r\033[K" << barText(done_, total_, clock_.nsecsElapsed() / 1e9);
    out_.flush();
    barShown_ = true;
}

void Report::printed(const QString& input, const QStringList& lines) {
    for (const QString& line : lines)
        out_ << input << ": " << line << '\n';
}

void Report::converted(const QString& input, const QString& output, const QStringList& lines) {
    ++done_;
    ++converted_;
    clearBar();
    if (!terminal_)
        out_ << QStringLiteral("変換\t") << input << '\t' << output << '\n';
    printed(input, lines);
    tick();
    out_.flush();
}

void Report::failed(const QString& input, const QString& reason, const QStringList& lines) {
    ++done_;
    failed_ << input + QStringLiteral(": ") + reason;
    clearBar();
    if (!terminal_)
        out_ << QStringLiteral("失敗\t") << input << '\t' << reason << '\n';
    printed(input, lines);
    tick();
    out_.flush();
}

void Report::skipped(const QString& input, const QString& reason) {
    skipped_ << input + QStringLiteral(": ") + reason;
    if (!terminal_) {
        out_ << QStringLiteral("ｽｷｯﾌﾟ\t") << input << '\t' << reason << '\n';
        out_.flush();
    }
}

int Report::finish() {
    clearBar();
    if (terminal_) {
        out_ << barText(done_, total_, clock_.nsecsElapsed() / 1e9) << '\n';
        for (const QString& f : failed_)
            out_ << QStringLiteral("  失敗 ") << f << '\n';
        for (const QString& s : skipped_)
            out_ << QStringLiteral("  ｽｷｯﾌﾟ ") << s << '\n';
    }
    out_ << QStringLiteral("変換 %1  失敗 %2  ｽｷｯﾌﾟ %3  (%4 秒) / converted %1, failed %2, skipped %3\n")
                .arg(converted_)
                .arg(failed_.size())
                .arg(skipped_.size())
                .arg(clock_.nsecsElapsed() / 1e9, 0, 'f', 1);
    out_.flush();
    return failed_.isEmpty() ? 0 : 1;
}

}  // namespace batch
