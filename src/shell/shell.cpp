// Placeholder until the shell lands.
