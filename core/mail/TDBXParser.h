#pragma once
// Reader of an Outlook Express 5 folder file (.dbx): walks the message index
// tree to list the message information objects, and follows a message's
// chain of data blocks to recover its Internet mail text.
//
// Every read is checked against the file's size. A damaged index (links
// outside the file, cycles) loses only the damaged branch; a message that
// cannot be read raises one of the reader's messages for that mail alone.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mail/TBasicMailParser.h"
#include "mail/TMappedFile.h"

class TDBXParser : public TBasicMailParser {
  public:
    // A file that cannot be opened is reported by GetCount.
    explicit TDBXParser(const std::string& sjisPath);
    explicit TDBXParser(std::unique_ptr<TMappedFile> file);

    // Reads the index on its first call. The header's count, or the number
    // of messages the index really lists when that is smaller.
    int GetCount() override;
    std::unique_ptr<TBasicMail> GetMail(int index) override;
    virtual TLines GetMailLines(int index);
    void AppendRawHeader(int index, std::string& out) override;

    // Offsets of the message information objects, in index order.
    const std::vector<std::uint32_t>& Messages() const { return messages_; }

  private:
    void ReadIndex();
    void WalkTree(std::uint32_t root, std::size_t limit);
    std::string MessageText(int index) const;
    std::uint32_t FirstBlock(std::uint32_t message) const;
    std::string BlockChainText(std::uint32_t block) const;

    std::unique_ptr<TMappedFile> file_;  // null when the file could not be opened
    bool indexRead_ = false;
    int count_ = 0;
    std::vector<std::uint32_t> messages_;
};
