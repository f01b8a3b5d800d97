// A child that misbehaves on purpose, for the tests of the limited child process and of the
// metafile helper's boundary. It does what the file name it was started under says (tests link
// it under names such as "crash" or "flood"), whatever its arguments.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string ReadAll() {
    std::string bytes;
    char chunk[65536];
    for (ssize_t got; (got = ::read(STDIN_FILENO, chunk, sizeof chunk)) > 0;)
        bytes.append(chunk, static_cast<std::size_t>(got));
    return bytes;
}

void Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            std::exit(9);
        done += static_cast<std::size_t>(written);
    }
}

} // namespace

int main(int, char** argv) {
    std::string mode = argv[0];
    mode = mode.substr(mode.find_last_of('/') + 1);

    if (mode == "echo") { // input back, then the arguments, one a line
        Write(ReadAll());
        for (char** argument = argv + 1; *argument != nullptr; ++argument)
            Write(std::string("\n") + *argument);
        return 0;
    }
    if (mode == "exit3") {
        ReadAll();
        return 3;
    }
    if (mode == "noread") { // ends without looking at a large input
        Write("done");
        return 0;
    }
    if (mode == "crash") {
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
    }
    if (mode == "hang") { // waits without using CPU time
        ReadAll();
        for (;;)
            ::pause();
    }
    if (mode == "spin") { // uses CPU time without end
        volatile unsigned long counter = 0;
        for (;;)
            counter = counter + 1;
    }
    if (mode == "flood") {
        const std::string block(65536, 'x');
        for (;;)
            Write(block);
    }
    if (mode == "hog") { // 4: the memory limit stopped it; 5: it got 1 GiB
        std::vector<char*> blocks;
        for (int i = 0; i < 64; ++i) {
            char* block = static_cast<char*>(std::malloc(16 << 20));
            if (block == nullptr)
                return 4;
            std::memset(block, 1, 16 << 20);
            blocks.push_back(block);
        }
        return 5;
    }
    if (mode == "files") { // tries to write the file named on its input; prints what happened
        const std::string path = ReadAll();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) {
            Write("open failed");
            return 0;
        }
        Write(::write(fd, "data", 4) == 4 ? "written" : (errno == EFBIG ? "EFBIG" : "failed"));
        ::close(fd);
        return 0;
    }
    // Answers in the metafile helper's form.
    if (mode == "reason") {
        ReadAll();
        Write(std::string("FAIL") + "bad\x01\nrecord " + std::string(500, 'z'));
        return 1;
    }
    if (mode == "short") {
        ReadAll();
        Write(std::string("PICT\x02\x00\x00\x00\x02\x00\x00\x00", 12) + std::string(15, '\xff'));
        return 0;
    }
    if (mode == "silent") {
        ReadAll();
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
