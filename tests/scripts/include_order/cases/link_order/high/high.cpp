int high_value() { return 0; }
