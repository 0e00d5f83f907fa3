#pragma once

#include <QByteArray>
#include <QString>

// A raw pseudo-terminal pair: the panel opens the slave by name, the test plays
// the laser on the master.
class Pty
{
public:
    Pty();
    ~Pty() { closeMaster(); }
    Q_DISABLE_COPY(Pty)

    bool isValid() const { return master >= 0; }
    QString slaveName() const { return slave; }

    void write(const QByteArray &bytes);
    // Everything the slave side has written so far, waiting up to waitMs for
    // the first byte.
    QByteArray readAvailable(int waitMs = 0);
    // Waits up to timeoutMs for at least `count` bytes in total.
    QByteArray readAtLeast(int count, int timeoutMs = 3000);
    // Hangs up: the slave side sees the far end go away.
    void closeMaster();

private:
    int master = -1;
    QString slave;
};
