// Catches what the code under test writes to std::cout and std::cerr, as
// lines without their line ends.
#pragma once

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace test {

class StreamCapture {
public:
    StreamCapture() : oldOut_(std::cout.rdbuf(out_.rdbuf())), oldErr_(std::cerr.rdbuf(err_.rdbuf())) {}
    ~StreamCapture() {
        std::cout.rdbuf(oldOut_);
        std::cerr.rdbuf(oldErr_);
    }
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

    std::vector<std::string> out() const { return split(out_.str()); }
    std::vector<std::string> err() const { return split(err_.str()); }
    // The text as written, line ends included.
    std::string outText() const { return out_.str(); }
    std::string errText() const { return err_.str(); }

private:
    static std::vector<std::string> split(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::ostringstream out_, err_;
    std::streambuf* oldOut_;
    std::streambuf* oldErr_;
};

}  // namespace test
