def pytest_collection_modifyitems(config, items):
    """Leaves out the tests of a module's suite that are not in its CHOSEN set."""
    kept, left_out = [], []
    for item in items:
        chosen = getattr(item.module, "CHOSEN", None)
        (left_out if chosen is not None and item.name not in chosen else kept).append(item)
    if left_out:
        config.hook.pytest_deselected(items=left_out)
        items[:] = kept
