#pragma once
// What a run over many pictures tells the user: on a terminal a progress bar
// (done / total, pictures per second, time left) and a summary at the end;
// elsewhere one line per picture and a closing count.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace batch {

class Report {
public:
    Report(QTextStream& out, bool terminal, int total);

    void converted(const QString& input, const QString& output, const QStringList& printed);
    void failed(const QString& input, const QString& reason, const QStringList& printed = {});
    void skipped(const QString& input, const QString& reason);
    // Redraws the bar (on a terminal) with the time gone so far.
    void tick();
    // The summary; returns the exit status (1 when any picture failed).
    int finish();

    // The bar's text, for the figures given (seconds gone).
    static QString barText(int done, int total, double seconds, int width = 30);

private:
    void clearBar();
    void printed(const QString& input, const QStringList& lines);

    QTextStream& out_;
    bool terminal_;
    int total_;
    int done_ = 0;
    int converted_ = 0;
    QStringList failed_, skipped_;  // "input: reason"
    QElapsedTimer clock_;
    bool barShown_ = false;
};

}  // namespace batch
