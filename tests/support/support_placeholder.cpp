// filled in by the test helpers
