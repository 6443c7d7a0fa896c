// A real pseudo-terminal for tests: the test holds the master side (the board's end of the
// line) and hands the slave's path to the code under test as its serial port.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace sensor::testing {

class PtyPair {
public:
    PtyPair();   // opens and sets raw mode; fails the test if it cannot
    ~PtyPair();  // closes both sides

    QString path() const { return path_; }
    int master() const { return master_; }

    void write(const QByteArray& bytes);  // all of it, in one or more writes
    QByteArray read_available();          // what the port sent, without waiting
    void close_master();                  // the far end goes away, as on an unplug
    void close_slave();                   // drops the test's own hold on the slave side

private:
    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees a hang-up while no port is open
    QString path_;
};

// Opens a pseudo-terminal pair in raw mode, the master non-blocking; false with errno set.
bool open_raw_pty(int* master, int* slave, QString* slave_path);

}  // namespace sensor::testing
