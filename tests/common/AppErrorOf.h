#pragma once
#include "AppError.h"

#include <QString>

// Runs the action and returns the AppError text it threw, or a marker.
template<typename F>
QString appErrorOf(F &&action)
{
    try {
        action();
    } catch (const AppError &e) {
        return e.text();
    }
    return QStringLiteral("<no AppError>");
}
