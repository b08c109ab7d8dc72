int side_value() { return 0; }
