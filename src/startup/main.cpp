#include "platform/large_pages.h"
#include "startup/usr.h"

int main(int argc, char** argv) {
    platform::restartWithLargePages(argv);
    return Usr::Main(argc, argv);
}
