// placeholder, replaced by the arithmetic work
#include "CLabelVariable.h"
CLabelVariable CLabelVariable::operator+(const CLabelVariable &) { return CLabelVariable(); }
CLabelVariable CLabelVariable::operator-(const CLabelVariable &) { return CLabelVariable(); }
CLabelVariable CLabelVariable::operator*(const CLabelVariable &) { return CLabelVariable(); }
CLabelVariable CLabelVariable::operator/(const CLabelVariable &) { return CLabelVariable(); }
bool CLabelVariable::operator==(const CLabelVariable &) { return false; }
