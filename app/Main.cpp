#include "app/Module.h"

int main(int argc, char** argv)
{
    return tidyfold::Main(argc, argv);
}
