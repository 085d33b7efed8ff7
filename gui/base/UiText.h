#pragma once
// Helpers every window shares: the sources write their texts in UTF-8, and
// widgets carry object names that tests and screenshots find them by.

#include <QString>

// A UTF-8 text of the sources as a QString.
inline QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// `widget`, named `name`.
template <class W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
