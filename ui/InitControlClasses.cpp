#include "ui/InitControlClasses.h"

#include "base/Bool.h"

namespace tidyfold {

std::int16_t InitControlClasses()
{
    // Qt's widgets need no registration before use: the progress bars, the
    // tab widget and the text box are there as soon as the application
    // object exists. Nothing can fail here.
    return kTrue;
}

}  // namespace tidyfold
