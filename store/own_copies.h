#pragma once
// Deep copies of the texts that cross a store's lock.
//
// Qt shares text data between copies and counts the references atomically,
// so handing shared texts between threads would be correct. But the
// ThreadSanitizer cannot see into the Qt library, which is not built for it,
// and reports the last release of a text that another thread also held as a
// race. The store therefore never lets a thread hold text data that another
// thread holds too: whatever goes in or out is an own copy.
#include <QString>

#include "store/measurement_records.h"

inline QString OwnCopy(const QString& text) {
    return text.isNull() ? QString() : QString(text.constData(), text.size());
}

inline TsaveItHeader13 OwnCopy(const TsaveItHeader13& header) {
    TsaveItHeader13 copy;
    copy.theData = header.theData;
    for (QString TsaveItHeader13::*text : kHeaderTextFields) {
        copy.*text = OwnCopy(header.*text);
    }
    return copy;
}

inline TBlockDaten8 OwnCopy(const TBlockDaten8& block) {
    TBlockDaten8 copy;
    static_cast<TBlockDaten8Fields&>(copy) = block;
    copy.remarkStr = OwnCopy(block.remarkStr);
    return copy;
}

inline TSMS OwnCopy(const TSMS& message) { return TSMS{message.zeitpunkt, OwnCopy(message.meldung)}; }
