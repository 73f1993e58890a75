#pragma once
// What the MCU protocol asks of the phone-app list service when it answers
// the app's requests. The service keeps the lists; the protocol frames the
// answers. Called on the MCU protocol's threads: implementations lock
// their own lists.

#include <QByteArray>

class AppListService
{
public:
    virtual ~AppListService() = default;

    // At least one storage volume is mounted.
    virtual bool hasDisks() const = 0;
    // Payload of the disk list into *payload; its length.
    virtual int Get_Forapp_DiskList(QByteArray *payload) = 0;
    // Payload of a music list page of disk `disk` from song `start`; its
    // length, or -1 bad request, -2 disk being rescanned, -3 list not
    // ready, -4 first request after a change.
    virtual int Get_Forapp_MuiscList(int disk, int start, QByteArray *payload) = 0;
    // Plays song `song` of disk `disk`: 1, or -1 when there is no such song.
    virtual int APP_Select_SingleSong(int disk, int song) = 0;
    // App-list index of the playing song; its folder number into *folder.
    virtual int Get_curplay_Index(int *folder) = 0;
};
