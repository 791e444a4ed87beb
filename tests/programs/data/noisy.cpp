// Test data: a file full of mistakes, for the whole output of a real compiler run.
#include <vector>

#define TWICE(x) ((x) + (x) + missing_name)

template <typename T>
struct Box {
    T value;
    int size() const { return value.length(); }
};

void take(int);
void take(int, int);

int main()
{
    std::string s;
    Box<int> box{1};
    int unused = box.size();
    take("text");
    int n = TWICE(2)
    std::vector<int> v;
    for (int i = 0; i < v.size(); ++i) {}
    return undeclared;
}
