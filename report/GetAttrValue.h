#pragma once

#include <QString>

// The value that follows the first occurrence of key in document: the characters after the key
// and the one character that follows it, up to the next double quote. Never fails: where there is
// no closing quote the value is empty. An absent key is not reported as such (see the tests).
QString GetAttrValue(QString document, QString key);
