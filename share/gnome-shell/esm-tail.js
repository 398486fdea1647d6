export default class QuavixFollowExtension extends Extension {
    enable() {
        this._follow = new QuavixFollow();
        this._follow.enable();
    }

    disable() {
        this._follow.disable();
        this._follow = null;
    }
}
