/* types.h */
typedef unsigned long long long wide_count;
