#pragma once

#include <QString>

// The command line's progress of one photo on standard error: a one-line bar
// on a terminal; plain lines at quarter steps when the output goes to a file
// or a pipe.
class KSCutProgressBar
{
public:
    explicit KSCutProgressBar(const QString &photo);

    // progress is 0..1.
    void show(double progress);
    // Ends the bar's line.
    void finish();

private:
    QString m_name;
    bool m_tty;
    int m_lastQuarter = -1;
};
