#pragma once

// The COM port dialog: choice of the serial port and the baud rate of the link. On OK the link is
// re-opened on the chosen port at once, and the choice becomes the link's port name and rate.

#include <QStringList>

class QWidget;

// Names of the ports the system reports, in its order.
QStringList systemPortNames();

// Runs the dialog modally over the ports the system reports, followed by the emulated unit's
// "K4-DEMO".
void runComPortDialog(QWidget* parent);
// The same over the given system ports (tests use it to stand for the machine's ports).
void runComPortDialog(QWidget* parent, const QStringList& systemPorts);
