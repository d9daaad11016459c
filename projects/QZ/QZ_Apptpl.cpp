#include "QZ_Apptpl.h"

QZ_Apptpl::QZ_Apptpl() = default;

int QZ_Apptpl::hasState() {
    return 0;
}

QZ_value QZ_Apptpl::getState() {
    return QZ_EMPTY;
}

void QZ_Apptpl::setState(QZ_value) {}

// Called once by the library's load routine; the framework's globals are
// statically initialised, so there is nothing left to do.
extern "C" void QZ_initall() {}
