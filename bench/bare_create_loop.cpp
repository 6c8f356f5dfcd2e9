// The floor for extracting many small files: a loop that only makes each folder once and
// creates, writes, dates and closes each file, with the contents already in memory. It reads
// the names (in archive order) from LIST, the contents and times from SOURCE, writes the same
// tree below DEST and prints the seconds its loop took.
//
// usage: bare_create_loop LIST SOURCE DEST
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

struct Item {
  std::string name;
  std::string data;
  timespec mtime{};
};

void MakeFolders(const std::string& path, std::set<std::string>& made) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (made.insert(folder).second) mkdir(folder.c_str(), 0777);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: bare_create_loop LIST SOURCE DEST\n", stderr);
    return 2;
  }
  const std::string source = argv[2];
  const std::string dest = argv[3];
  std::vector<Item> items;
  std::ifstream list(argv[1]);
  for (std::string name; std::getline(list, name);) {
    if (name.empty() || name.back() == '/') continue;
    Item item;
    item.name = name;
    std::ifstream in(source + "/" + name, std::ios::binary);
    item.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    struct stat st;
    if (stat((source + "/" + name).c_str(), &st) == 0) item.mtime = st.st_mtim;
    items.push_back(std::move(item));
  }

  const auto start = std::chrono::steady_clock::now();
  std::set<std::string> made;
  for (const Item& item : items) {
    const std::string path = dest + "/" + item.name;
    MakeFolders(path, made);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 || write(fd, item.data.data(), item.data.size()) != static_cast<ssize_t>(item.data.size())) {
      std::perror(path.c_str());
      return 1;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, item.mtime};
    futimens(fd, times);
    close(fd);
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%.3f\n", elapsed.count());
  return 0;
}
