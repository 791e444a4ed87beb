// The release's version, in one place: every shipped program's version resource carries it, and
// scripts/package names the release's archives after the ProductVersion it reads back from them.
#define LUMEN_VERSION_NUMBERS 1, 2, 0, 0
#define LUMEN_FILE_VERSION "1.2.0.0"
#define LUMEN_PRODUCT_VERSION "1.2"
