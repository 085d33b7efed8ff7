#pragma once
// Lists a folder of up to millions of entries once, in large reads straight
// from the kernel, and looks at an entry's type only when its listing does
// not tell it (a link, or a file system that gives no types): a Maildir of
// a million mails costs no million stat calls.

#include <filesystem>
#include <functional>
#include <string_view>

class TDirectoryReader {
  public:
    class TEntry {
      public:
        std::string_view Name() const { return name_; }
        // A plain file, links followed; a link to nothing is none.
        bool IsFile() const;
        bool IsFolder() const;

        // The entry itself, a link not followed.
        enum class TKind { File, Folder, Link, Other };
        TKind Kind() const;

      private:
        friend class TDirectoryReader;
        TEntry(int folderFd, std::string_view name, unsigned char type)
            : folderFd_(folderFd), name_(name), type_(type) {}
        unsigned char Resolved() const;

        int folderFd_;
        std::string_view name_;
        unsigned char type_;
    };

    // Calls visit(entry) for every entry but "." and ".." in the order the
    // file system gives them, until visit returns false. False when `folder`
    // does not exist (or is no folder); throws TKestrifyError when it cannot
    // be listed, wholly or part of the way (its mails would be lost).
    static bool List(const std::filesystem::path& folder,
                     const std::function<bool(const TEntry&)>& visit);
};
