#pragma once
// A one-file store that another program cut short or rewrote while it was
// read (a mail client compacting its mbox). Its later mails are gone or
// elsewhere, so no mail of it can be trusted: the whole run fails with this
// one message, as when a server's connection is lost, instead of a failed
// row for every mail that is left.

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

class TStoreChangedError : public TKestrifyError {
  public:
    TStoreChangedError()
        : TKestrifyError(TSjisUnicode::FromUtf8(
              "メールストアが読み取りの途中で短くなりました (ほかのプログラムが書き換えています)。"
              "メールソフトの整理や受信が終わってから、もう一度変換してください。 "
              "(the store got shorter while it was read)")) {}
};
