#pragma once

#include <QString>

#include <cstdio>

// The command line's progress of one photo on standard error: a one-line bar
// on a terminal; plain lines at quarter steps when the output goes to a file
// or a pipe. The bar never moves back: a job's reports may (a second worker
// taught the service a longer engine time, an upload tried again).
class KSCutProgressBar
{
public:
    // stream: where the bar goes (tests give a terminal of their own).
    explicit KSCutProgressBar(const QString &photo, std::FILE *stream = stderr);

    // progress is 0..1.
    void show(double progress);
    // Ends the bar's line.
    void finish();

private:
    QString m_name;
    std::FILE *m_stream;
    bool m_tty;
    int m_lastQuarter = -1;
    int m_shownPercent = 0;
};
