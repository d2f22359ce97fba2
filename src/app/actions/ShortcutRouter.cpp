// Filled by the action system.
