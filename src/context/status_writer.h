// The status log as a feature writes it. stampStatus() takes the time that
// the following lines carry; logStatus() appends one line made of the stamp,
// the formatted text (no newline needed: one is added) and a newline;
// advanceStatus(n) scrolls n lines on. stamp()/setStamp() let a run keep its
// own stamp across steps that take theirs. The main window implements it.
#pragma once

#include <ctime>

class StatusWriter {
public:
    virtual void stampStatus() = 0;
    virtual void logStatus(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
    virtual void advanceStatus(int n) = 0;
    virtual struct tm stamp() const = 0;
    virtual void setStamp(const struct tm& stamp) = 0;

protected:
    ~StatusWriter() = default;
};
