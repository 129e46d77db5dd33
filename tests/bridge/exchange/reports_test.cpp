// Tests come with the implementation.
