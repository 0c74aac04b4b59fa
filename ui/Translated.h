// The windows' side of i18n/Translate.h: a text's translation as a QString.
#pragma once

#include "i18n/Translate.h"

#include <QByteArray>
#include <QString>

namespace svc::ui {

inline QString Tr(const char* text) { return QString::fromUtf8(svc::Tr(text)); }
inline QString Tr(const std::string& text) { return QString::fromUtf8(svc::Tr(text)); }
inline QString Tr(const QString& text) {
    if (text.isEmpty()) return text;
    const QByteArray utf8 = text.toUtf8();
    return QString::fromUtf8(svc::Tr(utf8.constData()));
}

}  // namespace svc::ui
