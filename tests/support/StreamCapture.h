#pragma once

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// What the process writes to one of its standard streams (a file descriptor
// and its stdio stream) while the capture lives; text() ends the capture.
class StreamCapture
{
public:
    StreamCapture(int fd, std::FILE *stream) : m_fd(fd), m_stream(stream)
    {
        std::fflush(m_stream);
        if (m_file.open()) {
            m_saved = dup(m_fd);
            dup2(m_file.handle(), m_fd);
        }
    }
    ~StreamCapture() { restore(); }
    StreamCapture(const StreamCapture &) = delete;
    StreamCapture &operator=(const StreamCapture &) = delete;

    [[nodiscard]] QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(m_stream);
        dup2(m_saved, m_fd);
        close(m_saved);
        m_saved = -1;
    }

    int m_fd;
    std::FILE *m_stream;
    QTemporaryFile m_file;
    int m_saved = -1;
};
