int cutoraPlaceholderSymbol() { return 0; }
