// Placeholder until the message document lands.
