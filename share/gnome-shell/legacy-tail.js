function init() {
    return new QuavixFollow();
}
