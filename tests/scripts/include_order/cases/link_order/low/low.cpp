int low_value() { return 0; }
