#include "startup/usr.h"

int main(int argc, char** argv) {
    return Usr::Main(argc, argv);
}
