#pragma once

// How hard the storage client tries: retries after a transport failure or a
// server error (5xx), the longest a request may stay silent, and the longest
// one attempt may take in all. Times are in seconds.
class OSSClientConfiguration
{
public:
    void setMaxRetryCount(int count) { m_maxRetryCount = count < 0 ? 0 : count; }
    void setTimeoutIntervalForRequest(double seconds) { m_timeoutIntervalForRequest = seconds; }
    void setTimeoutIntervalForResource(double seconds) { m_timeoutIntervalForResource = seconds; }

    [[nodiscard]] int maxRetryCount() const { return m_maxRetryCount; }
    [[nodiscard]] double timeoutIntervalForRequest() const { return m_timeoutIntervalForRequest; }
    [[nodiscard]] double timeoutIntervalForResource() const { return m_timeoutIntervalForResource; }

private:
    int m_maxRetryCount = 3;
    double m_timeoutIntervalForRequest = 60.0;
    double m_timeoutIntervalForResource = 24 * 60 * 60.0;
};
