// The shared object's own translation unit; everything it exports comes from
// the static libraries linked in whole (see CMakeLists.txt).
