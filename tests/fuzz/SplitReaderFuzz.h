#pragma once
// Cuts arbitrary bytes into mails as a reader of one-file stores does and
// parses the first mails: no crash, hang or read outside the store.

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/TKestrifyError.h"
#include "mail/TMappedFile.h"
#include "state/TMailIdentity.h"

// Parses the first `count` mails of any one-file store reader (the DBX
// reader's fuzz target uses it too).
template <typename TReader>
void FuzzFirstMails(TReader& parser, int count) {
    std::string header;
    for (int i = 0; i < count; ++i) {
        try {
            parser.GetMail(i);
            // The raw header that tells mails apart in only-new runs.
            header.clear();
            parser.AppendRawHeader(i, header);
            TMailIdentity::OfHeader(header);
        } catch (const TKestrifyError&) {
            // A mail that cannot be read is a result, not a fault.
        }
    }
}

template <typename TReader>
int FuzzSplitReader(const std::uint8_t* data, std::size_t size) {
    TReader parser(TMappedFile::FromBuffer(data, size));
    FuzzFirstMails(parser, std::min(parser.GetCount(), 64));
    return 0;
}
