/*
 * vdxcard: a virtual sound card for sandboxes, as an ALSA external I/O plugin.
 *
 *   pcm.NAME { type vdxcard device "vdx_pcm" paced 1 capture "FILE" log "FILE" }
 *
 * Accepts U8, S16_LE, S24_LE, S32_LE, FLOAT_LE, FLOAT64_LE and DSD_U16_LE,
 * interleaved, 1 to 8 channels. Paced, the card consumes frames in real time
 * at the configured rate (a timerfd wakes writers; the position comes from
 * CLOCK_MONOTONIC; an application that falls behind gets -EPIPE). Unpaced,
 * every frame is consumed the moment it is written. Either way the exact
 * bytes of every stream are appended to the capture file, and when the stream
 * closes one line goes to the log:
 *
 *   vdxcard device=D format=F rate=R channels=C buffer=FRAMES period=FRAMES
 *     paced=0|1 capture=FILE offset=BYTES bytes=BYTES start=T end=T
 *
 * offset is where the stream's bytes begin in the capture file, so a test can
 * cut one stream out of a file that several streams appended to.
 */
#define _GNU_SOURCE
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

typedef struct {
	snd_pcm_ioplug_t io;
	char *device;
	char *capture;
	char *log;
	int paced;
	int capture_fd;
	int timer_fd;
	unsigned frame_bytes;
	/* Frames written by the application and consumed by the card since the
	 * last prepare; both only grow. */
	uint64_t written;
	uint64_t consumed_at_start;
	int started;
	struct timespec t0;
	/* The stream as logged at close. */
	int configured;
	uint64_t offset;
	uint64_t bytes;
	struct timespec wall_start;
	int have_wall_start;
} vdxcard_t;

static uint64_t now_ns(void)
{
	struct timespec ts;
	clock_gettime(CLOCK_MONOTONIC, &ts);
	return (uint64_t)ts.tv_sec * 1000000000ull + (uint64_t)ts.tv_nsec;
}

static void wall_text(const struct timespec *ts, char *buf, size_t len)
{
	struct tm tm;
	localtime_r(&ts->tv_sec, &tm);
	size_t n = strftime(buf, len, "%Y-%m-%dT%H:%M:%S", &tm);
	snprintf(buf + n, len - n, ".%03ld", ts->tv_nsec / 1000000);
}

/* Frames the card has consumed since the last prepare. */
static uint64_t consumed(vdxcard_t *vc)
{
	if (!vc->paced)
		return vc->written;
	if (!vc->started)
		return vc->consumed_at_start;
	uint64_t elapsed = now_ns() - ((uint64_t)vc->t0.tv_sec * 1000000000ull + (uint64_t)vc->t0.tv_nsec);
	uint64_t frames = vc->consumed_at_start + elapsed * vc->io.rate / 1000000000ull;
	return frames;
}

static void arm_timer(vdxcard_t *vc, int on)
{
	struct itimerspec its;
	memset(&its, 0, sizeof its);
	if (on) {
		/* Wake writers about four times per period. */
		uint64_t ns = (uint64_t)vc->io.period_size * 1000000000ull / (vc->io.rate ? vc->io.rate : 44100) / 4;
		if (ns < 1000000)
			ns = 1000000;
		its.it_interval.tv_sec = ns / 1000000000ull;
		its.it_interval.tv_nsec = ns % 1000000000ull;
		its.it_value = its.it_interval;
	} else if (!vc->paced) {
		/* Unpaced: always ready. */
		its.it_value.tv_nsec = 1;
		its.it_interval.tv_nsec = 1000000;
	}
	timerfd_settime(vc->timer_fd, 0, &its, NULL);
}

static int vc_start(snd_pcm_ioplug_t *io)
{
	vdxcard_t *vc = io->private_data;
	vc->started = 1;
	clock_gettime(CLOCK_MONOTONIC, &vc->t0);
	arm_timer(vc, 1);
	return 0;
}

static int vc_stop(snd_pcm_ioplug_t *io)
{
	vdxcard_t *vc = io->private_data;
	if (vc->paced && vc->started) {
		uint64_t c = consumed(vc);
		vc->consumed_at_start = c < vc->written ? c : vc->written;
	}
	vc->started = 0;
	arm_timer(vc, vc->paced ? 0 : 1);
	return 0;
}

static snd_pcm_sframes_t vc_pointer(snd_pcm_ioplug_t *io)
{
	vdxcard_t *vc = io->private_data;
	uint64_t c = consumed(vc);
	if (c > vc->written) {
		/* Paced and the application fell behind: underrun. */
		if (io->state == SND_PCM_STATE_DRAINING)
			c = vc->written;
		else {
			snd_pcm_ioplug_set_state(io, SND_PCM_STATE_XRUN);
			return -EPIPE;
		}
	}
	/* With the boundary work-around the pointer runs like appl_ptr: it is
	 * appl_ptr less the frames still waiting. */
	uint64_t pending = vc->written - c;
	snd_pcm_uframes_t appl = io->appl_ptr;
	if (pending > appl) {
		snd_pcm_uframes_t boundary = io->buffer_size;
		while (boundary * 2 <= LONG_MAX - io->buffer_size)
			boundary *= 2;
		return (snd_pcm_sframes_t)(boundary + appl - pending);
	}
	return (snd_pcm_sframes_t)(appl - pending);
}

static void capture_write(vdxcard_t *vc, const char *data, size_t len)
{
	vc->bytes += len;
	if (vc->capture_fd < 0)
		return;
	while (len > 0) {
		ssize_t n = write(vc->capture_fd, data, len);
		if (n < 0) {
			if (errno == EINTR)
				continue;
			return;
		}
		data += n;
		len -= (size_t)n;
	}
}

/* One line when a stream's first frames arrive: when the first audio byte
 * reached the card, on the monotonic clock (benchmarks compare it with the
 * key controller's and the supervisor's times). */
static void log_first(vdxcard_t *vc)
{
	if (!vc->log || !*vc->log)
		return;
	struct timespec now;
	clock_gettime(CLOCK_MONOTONIC, &now);
	char line[256];
	int n = snprintf(line, sizeof line, "vdxcard-first device=%s rate=%u mono=%lld.%06ld\n",
			 vc->device ? vc->device : "?", vc->io.rate, (long long)now.tv_sec, now.tv_nsec / 1000);
	int fd = open(vc->log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
	if (fd < 0)
		return;
	if (n > 0 && write(fd, line, (size_t)n) < 0) {
		/* a log that cannot be written loses the line */
	}
	close(fd);
}

static snd_pcm_sframes_t vc_transfer(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas,
				     snd_pcm_uframes_t offset, snd_pcm_uframes_t size)
{
	vdxcard_t *vc = io->private_data;
	const char *base = (const char *)areas[0].addr + (areas[0].first + areas[0].step * offset) / 8;
	if (vc->bytes == 0 && size > 0)
		log_first(vc);
	capture_write(vc, base, size * vc->frame_bytes);
	vc->written += size;
	return (snd_pcm_sframes_t)size;
}

static void open_capture(vdxcard_t *vc)
{
	if (vc->capture_fd >= 0 || !vc->capture || !*vc->capture)
		return;
	vc->capture_fd = open(vc->capture, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
	if (vc->capture_fd < 0)
		SNDERR("vdxcard: cannot open capture %s: %s", vc->capture, strerror(errno));
}

static int vc_hw_params(snd_pcm_ioplug_t *io, snd_pcm_hw_params_t *params)
{
	vdxcard_t *vc = io->private_data;
	(void)params;
	int width = snd_pcm_format_physical_width(io->format);
	if (width <= 0)
		return -EINVAL;
	vc->frame_bytes = (unsigned)width / 8 * io->channels;
	vc->configured = 1;
	open_capture(vc);
	if (!vc->have_wall_start) {
		struct stat st;
		vc->offset = (vc->capture_fd >= 0 && fstat(vc->capture_fd, &st) == 0) ? (uint64_t)st.st_size : 0;
		clock_gettime(CLOCK_REALTIME, &vc->wall_start);
		vc->have_wall_start = 1;
	}
	return 0;
}

static int vc_prepare(snd_pcm_ioplug_t *io)
{
	vdxcard_t *vc = io->private_data;
	vc->written = 0;
	vc->consumed_at_start = 0;
	vc->started = 0;
	arm_timer(vc, vc->paced ? 0 : 1);
	return 0;
}

static int vc_poll_revents(snd_pcm_ioplug_t *io, struct pollfd *pfd, unsigned int nfds, unsigned short *revents)
{
	vdxcard_t *vc = io->private_data;
	(void)nfds;
	uint64_t expirations;
	if (pfd[0].revents & POLLIN) {
		if (read(vc->timer_fd, &expirations, sizeof expirations) < 0) {
			/* nothing pending: fine */
		}
		*revents = io->stream == SND_PCM_STREAM_PLAYBACK ? POLLOUT : POLLIN;
	} else {
		*revents = 0;
	}
	return 0;
}

static void log_stream(vdxcard_t *vc)
{
	if (!vc->configured || !vc->log || !*vc->log)
		return;
	struct timespec end;
	clock_gettime(CLOCK_REALTIME, &end);
	char t0[48], t1[48];
	wall_text(&vc->wall_start, t0, sizeof t0);
	wall_text(&end, t1, sizeof t1);
	char line[1024];
	int n = snprintf(line, sizeof line,
			 "vdxcard device=%s format=%s rate=%u channels=%u buffer=%lu period=%lu paced=%d "
			 "capture=%s offset=%llu bytes=%llu start=%s end=%s\n",
			 vc->device ? vc->device : "?", snd_pcm_format_name(vc->io.format), vc->io.rate,
			 vc->io.channels, (unsigned long)vc->io.buffer_size, (unsigned long)vc->io.period_size,
			 vc->paced, vc->capture ? vc->capture : "", (unsigned long long)vc->offset,
			 (unsigned long long)vc->bytes, t0, t1);
	int fd = open(vc->log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
	if (fd < 0)
		return;
	if (n > 0 && write(fd, line, (size_t)n) < 0) {
		/* a log that cannot be written loses the line */
	}
	close(fd);
}

static int vc_close(snd_pcm_ioplug_t *io)
{
	vdxcard_t *vc = io->private_data;
	log_stream(vc);
	if (vc->capture_fd >= 0)
		close(vc->capture_fd);
	if (vc->timer_fd >= 0)
		close(vc->timer_fd);
	free(vc->device);
	free(vc->capture);
	free(vc->log);
	free(vc);
	return 0;
}

static const snd_pcm_ioplug_callback_t vc_callback = {
	.start = vc_start,
	.stop = vc_stop,
	.pointer = vc_pointer,
	.transfer = vc_transfer,
	.close = vc_close,
	.hw_params = vc_hw_params,
	.prepare = vc_prepare,
	.poll_revents = vc_poll_revents,
};

static int set_constraints(vdxcard_t *vc)
{
	static const unsigned int accesses[] = { SND_PCM_ACCESS_RW_INTERLEAVED };
	static const unsigned int formats[] = {
		SND_PCM_FORMAT_U8, SND_PCM_FORMAT_S16_LE, SND_PCM_FORMAT_S24_LE, SND_PCM_FORMAT_S32_LE,
		SND_PCM_FORMAT_FLOAT_LE, SND_PCM_FORMAT_FLOAT64_LE, SND_PCM_FORMAT_DSD_U16_LE,
	};
	snd_pcm_ioplug_t *io = &vc->io;
	int err;
	if ((err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 1, accesses)) < 0)
		return err;
	if ((err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, sizeof formats / sizeof formats[0],
						 formats)) < 0)
		return err;
	if ((err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 8)) < 0)
		return err;
	if ((err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, 8000, 768000)) < 0)
		return err;
	if ((err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 16 * 1024 * 1024)) < 0)
		return err;
	if ((err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 1024)) < 0)
		return err;
	if ((err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 128, 64 * 1024 * 1024)) < 0)
		return err;
	return 0;
}

SND_PCM_PLUGIN_DEFINE_FUNC(vdxcard)
{
	snd_config_iterator_t i, next;
	const char *device = NULL, *capture = NULL, *logfile = NULL;
	long paced = 0;
	int err;

	snd_config_for_each(i, next, conf) {
		snd_config_t *n = snd_config_iterator_entry(i);
		const char *id;
		if (snd_config_get_id(n, &id) < 0)
			continue;
		if (strcmp(id, "comment") == 0 || strcmp(id, "type") == 0 || strcmp(id, "hint") == 0)
			continue;
		if (strcmp(id, "device") == 0) {
			if (snd_config_get_string(n, &device) < 0) {
				SNDERR("vdxcard: device must be a string");
				return -EINVAL;
			}
		} else if (strcmp(id, "capture") == 0) {
			if (snd_config_get_string(n, &capture) < 0) {
				SNDERR("vdxcard: capture must be a string");
				return -EINVAL;
			}
		} else if (strcmp(id, "log") == 0) {
			if (snd_config_get_string(n, &logfile) < 0) {
				SNDERR("vdxcard: log must be a string");
				return -EINVAL;
			}
		} else if (strcmp(id, "paced") == 0) {
			const char *s;
			if (snd_config_get_integer(n, &paced) < 0) {
				if (snd_config_get_string(n, &s) < 0) {
					SNDERR("vdxcard: paced must be 0 or 1");
					return -EINVAL;
				}
				paced = strcmp(s, "1") == 0 || strcmp(s, "yes") == 0 || strcmp(s, "true") == 0;
			}
		} else {
			SNDERR("vdxcard: unknown field %s", id);
			return -EINVAL;
		}
	}
	if (stream != SND_PCM_STREAM_PLAYBACK) {
		SNDERR("vdxcard: playback only");
		return -EINVAL;
	}

	vdxcard_t *vc = calloc(1, sizeof *vc);
	if (!vc)
		return -ENOMEM;
	vc->device = strdup(device ? device : name);
	vc->capture = capture ? strdup(capture) : NULL;
	vc->log = logfile ? strdup(logfile) : NULL;
	vc->paced = paced != 0;
	vc->capture_fd = -1;
	vc->timer_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
	if (vc->timer_fd < 0) {
		err = -errno;
		free(vc->device);
		free(vc->capture);
		free(vc->log);
		free(vc);
		return err;
	}

	vc->io.version = SND_PCM_IOPLUG_VERSION;
	vc->io.name = "VDX virtual sound card";
	vc->io.callback = &vc_callback;
	vc->io.private_data = vc;
	vc->io.poll_fd = vc->timer_fd;
	vc->io.poll_events = POLLIN;
	vc->io.mmap_rw = 0;
	vc->io.flags = SND_PCM_IOPLUG_FLAG_BOUNDARY_WA;

	err = snd_pcm_ioplug_create(&vc->io, name, stream, mode);
	if (err < 0) {
		close(vc->timer_fd);
		free(vc->device);
		free(vc->capture);
		free(vc->log);
		free(vc);
		return err;
	}
	if ((err = set_constraints(vc)) < 0) {
		snd_pcm_ioplug_delete(&vc->io);
		return err;
	}
	arm_timer(vc, vc->paced ? 0 : 1);
	*pcmp = vc->io.pcm;
	return 0;
}

SND_PCM_PLUGIN_SYMBOL(vdxcard);
