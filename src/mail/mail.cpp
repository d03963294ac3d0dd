// Placeholder until the mail components land.
