#pragma once

// Starts the support library for a test, with critical reports collected into codes instead of
// being shown in a box.

#include "umisc.h"
#include "ustrings.h"

#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QList>
#include <QObject>

inline bool startLibraryCollectingReports(QObject* receiver, QList<quint64>* codes)
{
    if (velkit::vlkInit(umisc::programHooks()) != 0)
        return false;
    StringsKit::instance().fill();
    velkit::MessagerDaemon* messager = velkit::libraryMessager();
    if (!messager)
        return false;
    QObject::disconnect(messager, &velkit::MessagerDaemon::sig_ShowCritical, messager,
                        &velkit::MessagerDaemon::slot_ShowCritical);
    QObject::connect(
        messager, &velkit::MessagerDaemon::sig_ShowCritical, receiver,
        [codes](quint64 code) { codes->append(code); }, Qt::DirectConnection);
    return true;
}
