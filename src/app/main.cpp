#include "app/application.h"

int main(int argc, char *argv[])
{
    return lintaro::runApplication(argc, argv);
}
