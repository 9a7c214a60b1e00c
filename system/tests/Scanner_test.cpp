#include <gtest/gtest.h>
int main(){}
