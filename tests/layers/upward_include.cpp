// A header of the network layer: it compiles with that layer's include folder
// and must not compile with the include folder of the runtime below it.
#include "net/message.h"

int main() { return 0; }
