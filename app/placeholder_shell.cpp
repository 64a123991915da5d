int cutoraShellPlaceholderSymbol() { return 0; }
