#pragma once
#include "QZ_Error.h"
#include "QZ_Export.h"
#include "QZ_Value.h"

class QZ_Win;

// The application template through which a host wrapper drives an application.
// No virtual destructor: the wrapper embeds the application by value.
class QZ_EXPORT QZ_Apptpl {
public:
    QZ_Apptpl();

    virtual QZ_error create() = 0;
    virtual QZ_error attach(QZ_Win* window) = 0;
    virtual QZ_error detach() = 0;
    virtual QZ_error destroy() = 0;
    virtual int hasState();
    virtual QZ_value getState();
    virtual void setState(QZ_value state);

protected:
    ~QZ_Apptpl() = default;
};

extern "C" QZ_EXPORT void QZ_initall();
