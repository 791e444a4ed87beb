// Test data: a source with tabs and UTF-8 in its lines.
#include "sample.h"

int main()
{
	int größe = 1;
	const char* s = "é";	int n = undeclared_a;
	const char* t = "日本";  return undeclared_b + größe;
}
