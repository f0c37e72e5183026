#pragma once

#include <QDateTime>
#include <QString>

// The last whole read of a camera: the port it came from and when.
struct LastRead {
    QString strPort; // as the window names it: "COM1", "ttyUSB0"
    QDateTime at;    // invalid: nothing read since the window opened
};

// What the window shows of its link: the pages' values count as the
// camera's only while the port is open and its configuration came whole
// from the last read; otherwise the pages are greyed and say where their
// values came from, and what needs them is disabled and says why.
struct LinkView {
    bool bValuesCurrent = false; // the pages and save take input
    QString strWhy;              // why they do not (a tooltip); empty when they do
};
LinkView ViewOfLink(bool portOpen, bool configRead, const LastRead& lastRead);
