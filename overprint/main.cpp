// overprint: lays a text report onto the pages of a PDF form.
#include <string>
#include <vector>

#include "overprint/Driver.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    return tarn::overprint::RunOverprint(args);
}
