#pragma once
// Rows of consecutive mails as a worker thread built and packed them: the
// packed bytes of every row one after another, or the error that building a
// row threw. Handed between threads whole, and its buffers reused.

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

struct TRowChunk {
    int first = 0;  // index of the mail of row 0

    int Size() const { return static_cast<int>(ends.size()); }
    std::string_view Row(int row) const {
        const std::size_t r = static_cast<std::size_t>(row);
        const std::size_t begin = r == 0 ? 0 : ends[r - 1];
        return std::string_view(packed).substr(begin, ends[r] - begin);
    }
    // Null when the row was built.
    const std::exception_ptr& Error(int row) const { return errors[static_cast<std::size_t>(row)]; }

    void Clear() {
        packed.clear();
        ends.clear();
        errors.clear();
    }

    std::string packed;
    std::vector<std::size_t> ends;  // end of each row in `packed`
    std::vector<std::exception_ptr> errors;
};
