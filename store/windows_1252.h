#pragma once
// Windows-1252, the code page in which the Windows program wrote its preset
// files and the short strings of its older measurement files.
#include <QByteArrayView>
#include <QString>

// Every byte becomes one character; the five bytes the code page leaves
// undefined become the control character of the same number, as Windows
// decodes them.
QString DecodeWindows1252(QByteArrayView bytes);
