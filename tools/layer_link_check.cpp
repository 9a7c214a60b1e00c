// The body of the per-layer link checks (CMakeLists.txt): a program that links one layer
// library whole, so that any symbol the layer takes from a higher layer is missing.
int main() { return 0; }
