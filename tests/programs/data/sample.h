struct Point { int x; };
inline int f(Point p) { return p.y; }
